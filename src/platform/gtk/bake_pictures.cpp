// Build-time tool: decodes the committed CUR and ICO files with gdk-pixbuf's own loaders and
// writes their pixels out as a C++ source, so that the program shows exactly what the loaders
// would have given it without opening one at start-up. The pictures and their coverage go in as
// the GIF files they are, which the program decodes itself.
//
//   bake_pictures OUTPUT.cpp ASSET...
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "platform/gtk/icon_file.h"
#include "ui/layout.h"
#include "ui/picture.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Decoded {
  std::string file;
  int width = 0, height = 0, channels = 0, hot_x = -1, hot_y = -1;
  Bytes pixels;
  Bytes palette;  // when not empty, `pixels` holds two bits a pixel, indices into these RGBA colours
};

struct Baked {
  std::vector<Decoded> pictures;
  std::vector<std::pair<std::string, Bytes>> files;  // name, bytes as committed
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

// A monochrome cursor has at most four colours, so it goes in at two bits a pixel: the larger
// hands would otherwise cost the program 52 KiB of RGBA.
void pack_if_few_colours(Decoded& image) {
  if (image.channels != 4) return;
  const std::size_t count = image.pixels.size() / 4;
  std::vector<std::uint32_t> colours;
  Bytes packed((count + 3) / 4);
  for (std::size_t i = 0; i < count; ++i) {
    std::uint32_t colour;
    std::memcpy(&colour, &image.pixels[4 * i], 4);
    auto at = std::find(colours.begin(), colours.end(), colour);
    if (at == colours.end()) {
      if (colours.size() == 4) return;
      at = colours.insert(colours.end(), colour);
    }
    packed[i / 4] |= static_cast<std::uint8_t>((at - colours.begin()) << (2 * (i % 4)));
  }
  image.palette.resize(16);
  std::memcpy(image.palette.data(), colours.data(), colours.size() * 4);
  image.pixels = std::move(packed);
}

// Of the sizes a picture is drawn at, those GTK's scale factors, whole numbers, ever draw from.
std::set<int> sizes_for_whole_scales(int base, std::span<const int> drawn) {
  std::set<int> sizes;
  for (int scale = 1;; ++scale) {
    sizes.insert(ostrael::ui::drawn_size_for(base * scale, drawn));
    if (base * scale >= drawn.back()) return sizes;
  }
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

bool bake(const std::string& path, Baked& out) {
  Bytes bytes;
  if (!read(path, bytes)) return false;
  const std::string file = path.substr(path.find_last_of('/') + 1);
  if (ends_with(file, ".gif")) {
    // The pictures and their coverage go in as the files they are, at the sizes GTK's scales draw
    // from; those only Windows' fractional scales draw from stay out.
    static const std::set<int> sizes = sizes_for_whole_scales(ostrael::ui::kPictureSizes.front(), ostrael::ui::kPictureSizes);
    if (bytes.size() < 10) return fail(file + " is not a GIF");
    if (sizes.contains(bytes[6] | bytes[7] << 8)) out.files.emplace_back(file, std::move(bytes));
    return true;
  }
  if (ends_with(file, ".cur")) {
    static const std::set<int> sizes = sizes_for_whole_scales(ostrael::ui::kCursorSizes.front(), ostrael::ui::kCursorSizes);
    auto images = ostrael::gtk::cursor_images(bytes);
    if (!images) return fail(file + " is not a cursor file");
    for (const ostrael::gtk::CursorImage& image : *images) {
      Decoded cursor;
      if (!decode(image.file, "ico", file, cursor)) return false;
      if (!sizes.contains(cursor.width)) continue;
      cursor.hot_x = image.hot.x;
      cursor.hot_y = image.hot.y;
      pack_if_few_colours(cursor);
      out.pictures.push_back(std::move(cursor));
    }
    return true;
  }
  if (ends_with(file, ".ico")) {
    // The loader picks one image per file, so each size goes to it as a one-image file.
    auto sizes = ostrael::gtk::icon_sizes(bytes);
    if (!sizes) return fail(file + " is malformed");
    for (const Bytes& single : *sizes)
      if (!decode(single, "ico", file, out.pictures.emplace_back())) return false;
    return true;
  }
  return fail("no decoder for " + file);
}

void append_array(std::string& text, const std::string& name, const Bytes& bytes) {
  text += "constexpr std::uint8_t " + name + "[] = {";
  for (std::size_t b = 0; b < bytes.size(); ++b) {
    if (b % 24 == 0) text += "\n   ";
    text += " " + std::to_string(bytes[b]) + ",";
  }
  text += "\n};\n";
}

bool write(const std::string& path, const Baked& baked) {
  std::string text =
      "// Written by bake_pictures from the committed assets at build time.\n"
      "#include \"platform/gtk/baked_pictures.h\"\n\n"
      "namespace ostrael::gtk {\n\nnamespace {\n\n";
  const std::vector<Decoded>& pictures = baked.pictures;
  for (std::size_t i = 0; i < pictures.size(); ++i) {
    append_array(text, "kPixels" + std::to_string(i), pictures[i].pixels);
    if (!pictures[i].palette.empty()) append_array(text, "kPalette" + std::to_string(i), pictures[i].palette);
  }
  for (std::size_t i = 0; i < baked.files.size(); ++i) append_array(text, "kFile" + std::to_string(i), baked.files[i].second);
  text += "\nconstexpr BakedPicture kPictures[] = {\n";
  for (std::size_t i = 0; i < pictures.size(); ++i) {
    const Decoded& p = pictures[i];
    const std::string n = std::to_string(i);
    text += "    {\"" + p.file + "\", " + std::to_string(p.width) + ", " + std::to_string(p.height) + ", " +
            std::to_string(p.channels) + ", " + std::to_string(p.hot_x) + ", " + std::to_string(p.hot_y) + ", kPixels" + n +
            ", " + (p.palette.empty() ? "nullptr" : "kPalette" + n) + "},\n";
  }
  text += "};\n\nconstexpr BakedFile kFiles[] = {\n";
  for (std::size_t i = 0; i < baked.files.size(); ++i)
    text += "    {\"" + baked.files[i].first + "\", kFile" + std::to_string(i) + "},\n";
  // An array may not be empty.
  if (baked.files.empty()) text += "    {\"\", {}},\n";
  text += "};\n\n}  // namespace\n\nstd::span<const BakedPicture> baked_pictures() { return kPictures; }\n"
          "std::span<const BakedFile> baked_files() { return std::span(kFiles, " + std::to_string(baked.files.size()) + "); }\n\n"
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
  Baked baked;
  for (int i = 2; i < argc; ++i)
    if (!bake(argv[i], baked)) return 1;
  return write(argv[1], baked) ? 0 : 1;
}
