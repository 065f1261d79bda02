#include "sharedDir.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "allocation.h"
#include "component.h"
#include "qzerr/errorConstants.h"
#include "qzerr/errorDetail.h"
#include "qzerr/exception.h"

namespace qzsysq {
namespace {

constexpr char kSharedDirFile[] = "/etc/corvant/share/share.dir";
constexpr char kDefaultSharedDir[] = "/usr/local/corvant/share";
constexpr char kChannel[] = "qzsysq_debug";

using File = std::unique_ptr<FILE, int (*)(FILE*)>;

bool isBlank(char c) { return isspace(static_cast<unsigned char>(c)) != 0; }
bool isTrailing(char c) { return c == '\0' || c == '/' || isBlank(c); }

// A failed file call, named as the platform's path utilities name it: the
// site, errno under "internal_error", then the channel object opened with
// `desc` for the caller's further members.
qzerr::ErrorDetail fileError(qzerr_Status* status, const qzerr::ErrorConstant& constant, int32_t line, int error,
                             const char* desc) {
  const qzerr_ErrorSite site{"stdpath_util", line, vesk_componentName, constant.name};
  qzerr::ErrorDetail detail(status, constant.code, site);
  char text[256] = "";
  const char* message = strerror_r(error, text, sizeof text);
  detail.channel("internal_error").add("api", "errno").add("code", static_cast<int32_t>(error));
  if (message != nullptr && *message != '\0') detail.add("string", message);
  detail.channel(kChannel).add("desc", desc);
  return detail;
}

// The size of a seekable file, the file left at its start; -1 (errno set)
// when it cannot be told, as for a pipe.
long fileSize(FILE* file) {
  if (fseek(file, 0, SEEK_END) != 0) return -1;
  const long size = ftell(file);
  if (size < 0 || fseek(file, 0, SEEK_SET) != 0) return -1;
  return size;
}

}  // namespace

std::string getQZSharedDir() {
  std::string dir;
  {
    qzerr::ScopedStatus status;
    readSharedDir(dir, status);
  }
  return dir;
}

void readSharedDir(std::string& result, qzerr_Status* status) {
  if (status->code < 0) return;
  std::vector<char> content;
  qzerr_Status readStatus = qzerr_freshStatus();
  readWholeFile(kSharedDirFile, content, &readStatus);
  const bool read = readStatus.code >= 0;
  qzerr_releaseJson(&readStatus);
  allocating(status, [&] {
    if (read) {
      result.assign(content.begin(), content.end());
      trimPath(result);
    }
    if (!read || result.empty()) result = kDefaultSharedDir;
  });
}

void readWholeFile(const char* path, std::vector<char>& buffer, qzerr_Status* status) {
  File file(fopen(path, "rb"), fclose);
  if (file == nullptr) {
    fileError(status, qzerr::kResourceNotFound, __LINE__, errno, "error opening file").add("filename", path);
    return;
  }
  if (status->code < 0) return;
  const long size = fileSize(file.get());
  if (size < 0) {
    fileError(status, qzerr::kOsFault, __LINE__, errno, "error getting file size").add("filename", path);
    return;
  }
  const auto length = static_cast<size_t>(size);
  if (!allocating(status, [&] { buffer.resize(length + 1); })) return;
  const size_t read = fread(buffer.data(), 1, length, file.get());
  if (read < length) {
    fileError(status, qzerr::kOsFault, __LINE__, errno, "didn't read full content of file")
        .add("fileSize", static_cast<uint64_t>(length))
        .add("fread_return", static_cast<uint64_t>(read))
        .add("filename", path);
  }
  buffer[length] = '\0';
}

void trimPath(std::string& text) {
  size_t start = 0;
  while (start < text.size() && isBlank(text[start])) ++start;
  size_t end = text.size();
  const auto isRoot = [&](size_t last) { return last == start && text[last] == '/'; };
  while (end > start && isTrailing(text[end - 1]) && !isRoot(end - 1)) --end;
  text.erase(end);
  text.erase(0, start);
}

}  // namespace qzsysq
