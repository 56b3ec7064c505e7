#pragma once

#include <cstddef>
#include <string>

namespace quorvex {

// Replaces `path` with `data`: writes a temporary file in the same folder,
// flushes and fsyncs it, then renames it over the old file and fsyncs the
// folder. On any failure the old file is left as it was, the temporary file is
// removed and false is returned.
// Writes all of `data` to the descriptor, retrying short and interrupted writes.
bool WriteAll(int fd, const void* data, std::size_t size);

bool ReplaceFileAtomically(const std::string& path, const void* data, std::size_t size);

}  // namespace quorvex
