#include "frontend/driver.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "frontend/output_file.h"
#include "frontend/output_name.h"
#include "ti86/program_file.h"
#include "ti86/time_text.h"
#include "ti86/variable_name.h"

namespace tarnwick {
namespace {

// Closes the input when the run ends, whichever way it ends.
class input_file {
 public:
  explicit input_file(const char* name) : fd_(::open(name, O_RDONLY | O_CLOEXEC)) {}
  input_file(const input_file&) = delete;
  input_file& operator=(const input_file&) = delete;
  ~input_file() {
    if (fd_ >= 0) ::close(fd_);
  }
  int fd() const { return fd_; }

 private:
  int fd_;
};

// True when `output_name` names the file already open as `input_fd`, by whatever path.
bool is_same_file(int input_fd, const std::string& output_name) {
  struct stat in {};
  struct stat out {};
  return ::fstat(input_fd, &in) == 0 && ::stat(output_name.c_str(), &out) == 0 &&
         in.st_dev == out.st_dev && in.st_ino == out.st_ino;
}

}  // namespace

conversion convert(byte_source& in, std::string_view output_name, std::string_view time_text) {
  conversion result;
  row_table table;
  result.status = read_rows(in, table, ti86::max_row_text, ti86::line_separator);
  if (result.status != read_status::ok) return result;
  result.image.reserve(ti86::file_overhead + ti86::program_length(table));
  ti86::write_header(result.image, time_text);
  ti86::write_program(result.image, table, ti86::make_variable_name(output_name));
  return result;
}

int run(int argc, const char* const argv[], console& con, const local_clock& now) {
  con.clear();
  con.write_line("- Tarnwick (1.0) -\n");
  if (argc < 2) {
    con.write_line("Proper usage:\n");
    con.write_line("\ttarnwick [filename(.hex)]");
    con.wait_key();
    return 0;
  }

  const std::string name = argv[1];
  const input_file input(name.c_str());
  struct stat st {};
  // Linux opens a folder for reading without complaint; it is no input all the same.
  if (input.fd() < 0 || ::fstat(input.fd(), &st) != 0 || S_ISDIR(st.st_mode)) {
    con.write_line("Error opening " + name + "!");
    return 0;
  }
  con.write_line("Converting " + name + "\n");
  const std::string output_name = make_output_name(name);
  con.write_line("Outputting " + output_name + "\n");

  if (is_same_file(input.fd(), output_name)) {
    con.write_line("Error converting " + name + ": output would overwrite the input!");
    return 0;
  }
  // The stamp is the time the conversion started, before the input is read.
  const std::string time_text = ti86::format_time_text(now());
  fd_source source(input.fd());
  const conversion result = convert(source, output_name, time_text);
  switch (result.status) {
    case read_status::too_large:
      con.write_line("Error converting " + name + ": program too large!");
      return 0;
    case read_status::read_error:
      con.write_line("Error reading " + name + "!");
      return 0;
    case read_status::ok:
      break;
  }
  if (!replace_file(output_name, result.image)) {
    con.write_line("Error writing " + output_name + "!");
    return 0;
  }
  con.write_line("Success!");
  return 0;
}

}  // namespace tarnwick
