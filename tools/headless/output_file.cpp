#include "headless/output_file.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace discsim {

OutputFile::~OutputFile() { discard(); }

void OutputFile::discard() {
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (!temp_path_.empty()) {
        std::remove(temp_path_.c_str());
        temp_path_.clear();
    }
}

bool OutputFile::open(const std::string& path) {
    discard();
    path_ = path;
    // Same directory as the target, so the rename cannot cross file systems.
    temp_path_ = path + ".tmp." + std::to_string(::getpid());
    file_ = std::fopen(temp_path_.c_str(), "wb");
    if (file_ == nullptr) {
        error_ = "cannot write " + path + ": " + std::strerror(errno);
        temp_path_.clear();
        return false;
    }
    return true;
}

bool OutputFile::commit() {
    if (file_ == nullptr) {
        error_ = "cannot write " + path_ + ": not open";
        return false;
    }
    const bool flushed = std::fflush(file_) == 0 && !std::ferror(file_);
    const int saved = errno;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!flushed || !closed) {
        error_ = "cannot write " + path_ + ": " + std::strerror(flushed ? errno : saved);
        discard();
        return false;
    }
    if (std::rename(temp_path_.c_str(), path_.c_str()) != 0) {
        error_ = "cannot write " + path_ + ": " + std::strerror(errno);
        discard();
        return false;
    }
    temp_path_.clear();
    return true;
}

}  // namespace discsim
