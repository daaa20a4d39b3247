// An output file that appears whole or not at all: written to a temporary beside the target,
// renamed over it on commit, removed if never committed.
#pragma once

#include <cstdio>
#include <string>

namespace discsim {

class OutputFile {
public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();

    // Creates the temporary; false with a reason in error() when the path cannot be written.
    bool open(const std::string& path);

    // The open temporary, for writing.
    std::FILE* stream() { return file_; }

    // Closes and renames the temporary onto the target; false with a reason in error().
    bool commit();

    const std::string& path() const { return path_; }
    const std::string& error() const { return error_; }

private:
    void discard();
    std::string path_;
    std::string temp_path_;
    std::FILE* file_ = nullptr;
    std::string error_;
};

}  // namespace discsim
