// "Pen Info": ten lines about the drive that holds the program, read afresh on every click.
#include "panel/drive_report.h"

#include <string>

#include "app/ostraelen.h"
#include "panel/number_text.h"

namespace ostrael {

namespace {

std::string join(std::string_view label, std::string_view value, std::string_view unit = {}) {
  std::string line;
  line.reserve(label.size() + value.size() + unit.size());
  line.append(label).append(value).append(unit);
  return line;
}

// Bytes as whole kilobytes in the user's number format.
Result<std::string> size_text(double bytes, TextConversions& text) {
  double kilobytes = bytes / 1024;
  return text.format_number(kilobytes);
}

}  // namespace

// Unguarded: the first failing statement ends the handler; lines already added stay, and Text1
// keeps its visibility. Every property is read just before its own line.
Status ostraelen::Image3_Click() {
  Controls& controls = platform_.controls;
  TextConversions& text = platform_.text;

  RETURN_IF_FAILED(controls.clear_list1());
  ASSIGN_OR_RETURN(std::string directory, platform_.application.application_directory());

  ASSIGN_OR_RETURN(std::unique_ptr<FileSystemObject> fso, platform_.drives.create_file_system_object());
  std::unique_ptr<Drive> drive;
  {
    ASSIGN_OR_RETURN(std::string drive_name, fso->get_drive_name(directory));
    ASSIGN_OR_RETURN(drive, fso->get_drive(drive_name));
  }

  RETURN_IF_FAILED(controls.add_list1_line(report::kHeading));

  ASSIGN_OR_RETURN(std::string letter, drive->drive_letter());
  RETURN_IF_FAILED(controls.add_list1_line(join(report::kLetter, letter)));

  ASSIGN_OR_RETURN(std::int32_t type, drive->drive_type());
  RETURN_IF_FAILED(controls.add_list1_line(join(report::kType, decimal_text(type))));

  ASSIGN_OR_RETURN(std::string file_system, drive->file_system());
  RETURN_IF_FAILED(controls.add_list1_line(join(report::kFileSystem, file_system)));

  ASSIGN_OR_RETURN(double free_bytes, drive->free_space());
  ASSIGN_OR_RETURN(std::string free_text, size_text(free_bytes, text));
  RETURN_IF_FAILED(controls.add_list1_line(join(report::kFreeSpace, free_text, report::kSizeUnit)));

  ASSIGN_OR_RETURN(bool ready, drive->is_ready());
  RETURN_IF_FAILED(controls.add_list1_line(join(report::kReady, boolean_text(ready))));

  ASSIGN_OR_RETURN(std::string path, drive->path());
  RETURN_IF_FAILED(controls.add_list1_line(join(report::kPath, path)));

  ASSIGN_OR_RETURN(std::int32_t serial, drive->serial_number());
  RETURN_IF_FAILED(controls.add_list1_line(join(report::kSerial, decimal_text(serial))));

  ASSIGN_OR_RETURN(double total_bytes, drive->total_size());
  ASSIGN_OR_RETURN(std::string total_text, size_text(total_bytes, text));
  RETURN_IF_FAILED(controls.add_list1_line(join(report::kTotalSize, total_text, report::kSizeUnit)));

  ASSIGN_OR_RETURN(std::string volume_name, drive->volume_name());
  RETURN_IF_FAILED(controls.add_list1_line(join(report::kVolumeName, volume_name)));

  RETURN_IF_FAILED(controls.set_text1_visible(false));
  return {};
}

}  // namespace ostrael
