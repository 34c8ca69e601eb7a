// Whole files as strings, for the companion programs that read a run's files back or prepare a
// working directory; the run itself reads and writes records through textio.
#pragma once

#include <filesystem>
#include <string>

namespace whole_file {

// The file byte for byte; "" when it cannot be opened, which `found` tells apart from an empty
// file.
std::string read(const std::filesystem::path& path);
std::string read(const std::filesystem::path& path, bool& found);

// Replaces the file's content with `text`, byte for byte. Throws std::runtime_error
// "<path>: cannot be written" when that fails.
void write(const std::filesystem::path& path, const std::string& text);

}  // namespace whole_file
