// Google Benchmark of the handlers that do real work: "Pen Info" over the real Linux drive
// provider, and the message view on 1 MiB, both the decoder alone and the whole LoadTextFile.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/ostraelen.h"
#include "panel/message_file.h"
#include "panel/message_text.h"
#include "platform/linux/services.h"

namespace {

using namespace ostrael;

class ListAndText : public Controls {
 public:
  Status set_text1_text(std::string_view text) override {
    text1_.assign(text);
    return {};
  }
  Status set_text1_visible(bool) override { return {}; }
  Status clear_list1() override {
    lines_ = 0;
    return {};
  }
  Status add_list1_line(std::string_view) override {
    ++lines_;
    return {};
  }
  int lines_ = 0;
  std::string text1_;
};

class NoShell : public Shell {
 public:
  Status open_folder(std::string_view) override { return {}; }
};

// The pen folder is a scratch directory; everything else is the program's own Linux services.
class PenFolder : public linux_::Application {
 public:
  explicit PenFolder(std::string directory) : directory_(std::move(directory)) {}
  Result<std::string> application_directory() override { return directory_; }

 private:
  std::string directory_;
};

// A message in the shape the benchmark names: mostly Latin text with some accents and CRLFs.
std::string message(std::string_view kind) {
  std::string line = "Se encontrar esta pen, ligue para o Jo\xC3\xA3o: 555-0100. Obrigado! \xE2\x82\xAC\r\n";
  std::string utf8;
  while (utf8.size() < kMaxMessageBytes) utf8 += line;
  utf8.resize(kMaxMessageBytes - 8);
  if (kind == "utf8") return utf8;
  if (kind == "cp1252") {
    std::string latin(kMaxMessageBytes, 'a');
    for (std::size_t i = 0; i < latin.size(); i += 7) latin[i] = '\xE9';
    return latin;
  }
  std::string utf16 = "\xFF\xFE";  // ASCII-only text as UTF-16LE
  for (std::size_t i = 0; utf16.size() < kMaxMessageBytes; ++i) {
    utf16 += line[i % 40];
    utf16 += '\0';
  }
  return utf16;
}

void DecodeMessage(benchmark::State& state, const char* kind) {
  std::string bytes = message(kind);
  linux_::TextConversions text;
  for (auto _ : state) {
    Result<std::string> decoded = decode_message(bytes, false, text);
    benchmark::DoNotOptimize(decoded);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK_CAPTURE(DecodeMessage, utf8_1MiB, "utf8")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(DecodeMessage, utf16_1MiB, "utf16")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(DecodeMessage, cp1252_1MiB, "cp1252")->Unit(benchmark::kMillisecond);

void LoadTextFile_1MiB(benchmark::State& state) {
  std::string folder = (std::filesystem::temp_directory_path() / "ostrael-bench-XXXXXX").string();
  if (!mkdtemp(folder.data())) return state.SkipWithError("mkdtemp failed");
  std::string path = join_path(folder, kMessageFileName);
  std::ofstream(path, std::ios::binary) << message("utf8");

  PenFolder application(folder);
  linux_::FileInput files;
  linux_::TextConversions text;
  linux_::DriveProvider drives;
  ListAndText controls;
  NoShell shell;
  Platform platform{application, controls, files, text, drives, shell};
  ostraelen form(platform);
  for (auto _ : state) {
    Status status = form.LoadTextFile();
    benchmark::DoNotOptimize(status);
  }
  if (controls.text1_.size() < kMaxMessageBytes / 2) state.SkipWithError("the message did not show");
  unlink(path.c_str());
  rmdir(folder.c_str());
}
BENCHMARK(LoadTextFile_1MiB)->Unit(benchmark::kMillisecond);

// "Pen Info" for the drive that holds this benchmark's own directory.
void PenInfo(benchmark::State& state) {
  linux_::Services services;
  ListAndText controls;
  NoShell shell;
  Platform platform{services.application, controls, services.files, services.text, services.drives, shell};
  ostraelen form(platform);
  for (auto _ : state) {
    Status status = form.Image3_Click();
    if (!status) return state.SkipWithError(describe(status.failure()).c_str());
  }
  if (controls.lines_ != 10) state.SkipWithError("the report did not have ten lines");
}
BENCHMARK(PenInfo)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
