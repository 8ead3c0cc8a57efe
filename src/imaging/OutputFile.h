// A file being written by one of the image file writers. It is opened for writing, truncated
// or created; until Commit succeeds, the destructor (or Discard) removes what was written, so
// a failed save leaves no partial file that would look like a picture. Only a regular file
// that this object created or truncated is removed: a device such as /dev/full, or a name that
// meanwhile points elsewhere, is left alone.
//
// The encoders work on their own descriptors (Duplicate): the libraries close those, and the
// final close here still reports what the system defers to it (a full disk on a network file
// system, for one).
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>

#include "imaging/FileIdentity.h"

namespace velcor {

class OutputFile {
  public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // False (errno set) when the path cannot be opened for writing or created.
    bool Open(const char* path);
    bool IsOpen() const { return fd_ >= 0; }
    int Descriptor() const { return fd_; }
    // A second descriptor of the file for a library that closes what it is given; -1 on
    // failure.
    int Duplicate() const;
    // Closes a stdio stream; whoever needs the close's answer (a deferred write error) calls
    // fclose on the released pointer instead.
    struct StreamCloser {
        void operator()(std::FILE* stream) const { std::fclose(stream); }
    };
    using Stream = std::unique_ptr<std::FILE, StreamCloser>;
    // A binary stdio stream on a second descriptor of the file, for libraries that write
    // through FILE*; null on failure.
    Stream OpenStream() const;
    // Writes all of the bytes; false (errno set) on any short or failed write.
    bool Write(const void* data, size_t size);
    // Closes the file and keeps it; false (errno set, the file removed) when the close fails.
    bool Commit();
    // Closes and removes the file (when it is a regular file of ours); errno is kept.
    void Discard();

  private:
    int fd_ = -1;
    // Opened and neither committed nor discarded yet.
    bool pending_ = false;
    const char* path_ = nullptr;
    FileIdentity identity_;
};

}  // namespace velcor
