// The message view: message.txt is read once, at start, and "Owner Message" shows it again.
#include "panel/message_file.h"

#include <algorithm>

#include "app/ostraelen.h"
#include "panel/message_text.h"

namespace ostrael {

std::string join_path(std::string_view directory, std::string_view name) {
  std::string path(directory);
  bool has_separator = !path.empty() && (path.back() == '\\' || path.back() == '/');
  if (!path.empty() && !has_separator) path += path.front() == '/' ? '/' : '\\';
  path += name;
  return path;
}

// Resume-next: each numbered statement that fails is passed over and the next one runs.
Status ostraelen::LoadTextFile() {
  Platform& p = platform_;

  // 2. The path.
  std::string path;
  if (auto directory = p.application.application_directory()) path = join_path(*directory, kMessageFileName);

  // 3. Open.
  (void)p.files.open_for_input(path, kMessageFileNumber);

  // 4. Length, read and show, as one statement: any failure leaves Text1 as it was.
  (void)[&]() -> Status {
    ASSIGN_OR_RETURN(std::uint64_t length, p.files.file_length(kMessageFileNumber));
    std::uint64_t count = std::min(length, kMaxMessageBytes);
    ASSIGN_OR_RETURN(std::string bytes, p.files.read_bytes(count, kMessageFileNumber));
    ASSIGN_OR_RETURN(std::string text, decode_message(bytes, count < length, p.text));
    return p.controls.set_text1_text(text);
  }();

  // 5. Close; with nothing open this fails and is passed over too.
  (void)p.files.close_file(kMessageFileNumber);
  return {};
}

Status ostraelen::Image2_Click() {
  (void)platform_.controls.set_text1_visible(true);
  return {};
}

}  // namespace ostrael
