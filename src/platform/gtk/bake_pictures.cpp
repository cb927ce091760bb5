// Build-time tool: decodes the committed GIF, CUR and ICO files with gdk-pixbuf's own loaders
// and writes their pixels out as a C++ source, so that the program shows exactly what the
// loaders would have given it without opening one at start-up.
//
//   bake_pictures OUTPUT.cpp ASSET...
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/gtk/icon_file.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Decoded {
  std::string file;
  int width = 0, height = 0, channels = 0, hot_x = -1, hot_y = -1;
  Bytes pixels;
};

bool fail(const std::string& what) {
  std::fprintf(stderr, "bake_pictures: %s\n", what.c_str());
  return false;
}

bool decode(const Bytes& bytes, const char* type, const std::string& file, Decoded& out) {
  GError* error = nullptr;
  GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_type(type, &error);
  if (!loader) return fail(std::string("no ") + type + " loader: " + (error ? error->message : "?"));
  bool ok = gdk_pixbuf_loader_write(loader, bytes.data(), bytes.size(), &error) && gdk_pixbuf_loader_close(loader, &error);
  GdkPixbuf* pixbuf = ok ? gdk_pixbuf_loader_get_pixbuf(loader) : nullptr;
  if (!pixbuf || gdk_pixbuf_get_bits_per_sample(pixbuf) != 8 || gdk_pixbuf_get_colorspace(pixbuf) != GDK_COLORSPACE_RGB) {
    std::string message = error ? error->message : "no 8-bit RGB image";
    g_clear_error(&error);
    g_object_unref(loader);
    return fail(file + ": " + message);
  }
  out.file = file;
  out.width = gdk_pixbuf_get_width(pixbuf);
  out.height = gdk_pixbuf_get_height(pixbuf);
  out.channels = gdk_pixbuf_get_n_channels(pixbuf);
  // The last row of a pixbuf may be shorter than its stride, so the rows are copied one by one.
  const std::size_t row = static_cast<std::size_t>(out.width) * out.channels;
  const std::uint8_t* pixels = gdk_pixbuf_read_pixels(pixbuf);
  for (int y = 0; y < out.height; ++y) {
    const std::uint8_t* from = pixels + static_cast<std::size_t>(y) * gdk_pixbuf_get_rowstride(pixbuf);
    out.pixels.insert(out.pixels.end(), from, from + row);
  }
  g_object_unref(loader);
  return true;
}

bool read(const std::string& path, Bytes& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return fail("cannot read " + path);
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad() || fail("cannot read " + path);
}

bool ends_with(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

bool bake(const std::string& path, std::vector<Decoded>& out) {
  Bytes bytes;
  if (!read(path, bytes)) return false;
  const std::string file = path.substr(path.find_last_of('/') + 1);
  if (ends_with(file, ".gif")) return decode(bytes, "gif", file, out.emplace_back());
  if (ends_with(file, ".cur")) {
    auto hot = ostrael::gtk::cursor_hot_spot(bytes);
    if (!hot) return fail(file + " is not a cursor file");
    Decoded& cursor = out.emplace_back();
    if (!decode(bytes, "ico", file, cursor)) return false;
    cursor.hot_x = hot->x;
    cursor.hot_y = hot->y;
    return true;
  }
  if (ends_with(file, ".ico")) {
    // The loader picks one image per file, so each size goes to it as a one-image file.
    auto sizes = ostrael::gtk::icon_sizes(bytes);
    if (!sizes) return fail(file + " is malformed");
    for (const Bytes& single : *sizes)
      if (!decode(single, "ico", file, out.emplace_back())) return false;
    return true;
  }
  return fail("no decoder for " + file);
}

bool write(const std::string& path, const std::vector<Decoded>& pictures) {
  std::string text =
      "// Written by bake_pictures from the committed assets at build time.\n"
      "#include \"platform/gtk/baked_pictures.h\"\n\n"
      "namespace ostrael::gtk {\n\nnamespace {\n\n";
  for (std::size_t i = 0; i < pictures.size(); ++i) {
    text += "constexpr std::uint8_t kPixels" + std::to_string(i) + "[] = {";
    for (std::size_t b = 0; b < pictures[i].pixels.size(); ++b) {
      if (b % 24 == 0) text += "\n   ";
      text += " " + std::to_string(pictures[i].pixels[b]) + ",";
    }
    text += "\n};\n";
  }
  text += "\nconstexpr BakedPicture kPictures[] = {\n";
  for (std::size_t i = 0; i < pictures.size(); ++i) {
    const Decoded& p = pictures[i];
    text += "    {\"" + p.file + "\", " + std::to_string(p.width) + ", " + std::to_string(p.height) + ", " +
            std::to_string(p.channels) + ", " + std::to_string(p.hot_x) + ", " + std::to_string(p.hot_y) + ", kPixels" +
            std::to_string(i) + "},\n";
  }
  text += "};\n\n}  // namespace\n\nstd::span<const BakedPicture> baked_pictures() { return kPictures; }\n\n"
          "}  // namespace ostrael::gtk\n";
  const std::string partial = path + ".part";
  {
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out.flush()) return fail("cannot write " + partial);
  }
  // A build stopped half-way must not leave a half-written source that looks up to date.
  if (std::rename(partial.c_str(), path.c_str()) != 0) return fail("cannot write " + path);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fputs("usage: bake_pictures OUTPUT.cpp ASSET...\n", stderr);
    return 2;
  }
  std::vector<Decoded> pictures;
  for (int i = 2; i < argc; ++i)
    if (!bake(argv[i], pictures)) return 1;
  return write(argv[1], pictures) ? 0 : 1;
}
