#pragma once
// A new executable written to disk and held there until it is used.
#include <windows.h>

#include <string>
#include <vector>

#include "common/scoped.h"

// The file is held open from its first byte until it has replaced its
// target: other programs may read it, but none may write, truncate, rename
// or delete it meanwhile, so the bytes that were checked are the bytes that
// are used. It is deleted when the object goes, unless it is in place.
class staged_executable {
public:
    staged_executable() = default;
    ~staged_executable();
    staged_executable(const staged_executable&) = delete;
    staged_executable& operator=(const staged_executable&) = delete;

    // Creates the file at path (a file of that name that is there already is
    // never taken over) and writes data whole to it, flushed.
    bool write(const std::wstring& path, const std::vector<char>& data);

    HANDLE handle() const { return file_.get(); }
    const std::wstring& path() const { return path_; }

    // Puts it in place of target in one step, through the handle held, and
    // lets it go. While target is held by another program (a virus scanner
    // reading it, say), it tries again for a moment.
    bool replace(const std::wstring& target);

private:
    scoped_file file_;
    std::wstring path_;
    bool placed_ = false;
};
