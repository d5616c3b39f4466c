// ZwCreateFile, ZwReadFile, ZwWriteFile over the files below <machine root>/SystemRoot.
// Handles are synchronous (there is no other kind here) and keep a current position. Opens
// honour the platform's share modes within this process: a file opened without sharing can't
// be opened again until that handle is closed.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <list>
#include <map>
#include <mutex>
#include <string>

#include "host/files/system_path.h"
#include "host/kernel/handle_table.h"
#include "host/registry/unicode_string.h"
#include "host/verifier/verifier.h"
#include "platform/registry.h"

namespace host::files {
namespace {

struct FileObject {
    int Descriptor;
    std::string Path;
    bool CanRead;
    bool CanWrite;
    ULONG ShareAccess;
    off_t Position = 0;
};

// Open files by host path, for the share-mode check.
std::mutex g_open_mutex;
std::map<std::string, std::list<FileObject*>> g_open_files;  // guarded by g_open_mutex

bool SharesAllow(const FileObject& a, const FileObject& b) {
    const auto allows = [](const FileObject& holder, const FileObject& other) {
        return (!other.CanRead || (holder.ShareAccess & FILE_SHARE_READ)) &&
               (!other.CanWrite || (holder.ShareAccess & FILE_SHARE_WRITE));
    };
    return allows(a, b) && allows(b, a);
}

bool Register(FileObject* file) {
    std::lock_guard<std::mutex> lock(g_open_mutex);
    std::list<FileObject*>& opens = g_open_files[file->Path];
    for (const FileObject* other : opens) {
        if (!SharesAllow(*other, *file)) return false;
    }
    opens.push_back(file);
    return true;
}

void Unregister(FileObject* file) {
    std::lock_guard<std::mutex> lock(g_open_mutex);
    auto it = g_open_files.find(file->Path);
    if (it == g_open_files.end()) return;
    it->second.remove(file);
    if (it->second.empty()) g_open_files.erase(it);
}

// What the disposition does to a file that exists or not: the open flags, or a failure.
NTSTATUS PlanOpen(ULONG disposition, bool exists, int* flags, ULONG_PTR* information) {
    switch (disposition) {
    case FILE_OPEN:
        *information = exists ? FILE_OPENED : FILE_DOES_NOT_EXIST;
        return exists ? STATUS_SUCCESS : STATUS_OBJECT_NAME_NOT_FOUND;
    case FILE_CREATE:
        *flags |= O_CREAT | O_EXCL;
        *information = exists ? FILE_EXISTS : FILE_CREATED;
        return exists ? STATUS_OBJECT_NAME_COLLISION : STATUS_SUCCESS;
    case FILE_OPEN_IF:
        *flags |= O_CREAT;
        *information = exists ? FILE_OPENED : FILE_CREATED;
        return STATUS_SUCCESS;
    case FILE_OVERWRITE:
        *flags |= O_TRUNC;
        *information = exists ? FILE_OVERWRITTEN : FILE_DOES_NOT_EXIST;
        return exists ? STATUS_SUCCESS : STATUS_OBJECT_NAME_NOT_FOUND;
    case FILE_OVERWRITE_IF:
        *flags |= O_CREAT | O_TRUNC;
        *information = exists ? FILE_OVERWRITTEN : FILE_CREATED;
        return STATUS_SUCCESS;
    case FILE_SUPERSEDE:
        *flags |= O_CREAT | O_TRUNC;
        *information = exists ? FILE_SUPERSEDED : FILE_CREATED;
        return STATUS_SUCCESS;
    default:
        return STATUS_INVALID_PARAMETER;
    }
}

NTSTATUS StatusFromErrno(int error) {
    switch (error) {
    case ENOENT: return STATUS_OBJECT_NAME_NOT_FOUND;
    case EEXIST: return STATUS_OBJECT_NAME_COLLISION;
    case EACCES:
    case EPERM:
    case EROFS: return STATUS_ACCESS_DENIED;
    case EISDIR: return STATUS_FILE_IS_A_DIRECTORY;
    case ENOSPC: return STATUS_DISK_FULL;
    default: return STATUS_IO_DEVICE_ERROR;
    }
}

NTSTATUS LookupFile(HANDLE handle, PIO_STATUS_BLOCK io, FileObject** file) {
    *file = static_cast<FileObject*>(host::LookupHandle(handle, host::HandleKind::File));
    if (*file == nullptr) return STATUS_INVALID_HANDLE;
    if (io == nullptr) return STATUS_INVALID_PARAMETER;
    return STATUS_SUCCESS;
}

// The platform's two special offsets: "at the current position" and "at the end".
constexpr LONGLONG kUseFilePointer = -2;
constexpr LONGLONG kWriteToEnd = -1;

off_t StartOffset(const FileObject& file, PLARGE_INTEGER offset) {
    if (offset == nullptr || offset->QuadPart == kUseFilePointer) return file.Position;
    if (offset->QuadPart == kWriteToEnd) return ::lseek(file.Descriptor, 0, SEEK_END);
    return static_cast<off_t>(offset->QuadPart);
}

NTSTATUS Finish(PIO_STATUS_BLOCK io, NTSTATUS status, ULONG_PTR information) {
    io->Status = status;
    io->Information = information;
    return status;
}

}  // namespace
}  // namespace host::files

using namespace host::files;

NTSTATUS ZwCreateFile(PHANDLE FileHandle, ACCESS_MASK DesiredAccess,
                      POBJECT_ATTRIBUTES ObjectAttributes, PIO_STATUS_BLOCK IoStatusBlock,
                      PLARGE_INTEGER AllocationSize, ULONG FileAttributes, ULONG ShareAccess,
                      ULONG CreateDisposition, ULONG CreateOptions, PVOID EaBuffer, ULONG EaLength) {
    host::VerifyPassiveLevel("ZwCreateFile");
    if (FileHandle == nullptr || IoStatusBlock == nullptr || ObjectAttributes == nullptr ||
        ObjectAttributes->ObjectName == nullptr || ObjectAttributes->RootDirectory != nullptr) {
        return STATUS_INVALID_PARAMETER;
    }
    std::string path;
    NTSTATUS status = host::ResolveSystemPath(host::UnicodeStringToUtf8(ObjectAttributes->ObjectName), &path);
    if (!NT_SUCCESS(status)) return Finish(IoStatusBlock, status, 0);

    struct stat st;
    const bool exists = ::stat(path.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) return Finish(IoStatusBlock, STATUS_FILE_IS_A_DIRECTORY, 0);
    const bool can_read = DesiredAccess & (GENERIC_READ | GENERIC_ALL | FILE_READ_DATA);
    const bool can_write =
        DesiredAccess & (GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA | FILE_APPEND_DATA);
    int flags = O_CLOEXEC | (can_read && can_write ? O_RDWR : can_write ? O_WRONLY : O_RDONLY);
    ULONG_PTR information = 0;
    status = PlanOpen(CreateDisposition, exists, &flags, &information);
    if (!NT_SUCCESS(status)) return Finish(IoStatusBlock, status, information);
    if ((flags & O_TRUNC) && !can_write) flags = (flags & ~O_ACCMODE) | O_RDWR;

    auto* file = new FileObject{-1, path, can_read, can_write, ShareAccess};
    if (!Register(file)) {
        delete file;
        return Finish(IoStatusBlock, STATUS_SHARING_VIOLATION, 0);
    }
    file->Descriptor = ::open(path.c_str(), flags, 0644);
    if (file->Descriptor < 0) {
        status = StatusFromErrno(errno);
        Unregister(file);
        delete file;
        return Finish(IoStatusBlock, status, 0);
    }
    *FileHandle = host::CreateHandle(host::HandleKind::File, file, [file] {
        ::close(file->Descriptor);
        Unregister(file);
        delete file;
    });
    return Finish(IoStatusBlock, STATUS_SUCCESS, information);
}

NTSTATUS ZwReadFile(HANDLE FileHandle, HANDLE Event, PIO_APC_ROUTINE ApcRoutine, PVOID ApcContext,
                    PIO_STATUS_BLOCK IoStatusBlock, PVOID Buffer, ULONG Length,
                    PLARGE_INTEGER ByteOffset, PULONG Key) {
    host::VerifyPassiveLevel("ZwReadFile");
    FileObject* file;
    NTSTATUS status = LookupFile(FileHandle, IoStatusBlock, &file);
    if (!NT_SUCCESS(status)) return status;
    if (!file->CanRead) return Finish(IoStatusBlock, STATUS_ACCESS_DENIED, 0);
    if (Buffer == nullptr && Length != 0) return Finish(IoStatusBlock, STATUS_INVALID_PARAMETER, 0);
    const off_t start = StartOffset(*file, ByteOffset);
    size_t done = 0;
    while (done < Length) {
        const ssize_t n = ::pread(file->Descriptor, static_cast<char*>(Buffer) + done, Length - done,
                                  start + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return Finish(IoStatusBlock, StatusFromErrno(errno), done);
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    file->Position = start + static_cast<off_t>(done);
    if (done == 0 && Length != 0) return Finish(IoStatusBlock, STATUS_END_OF_FILE, 0);
    return Finish(IoStatusBlock, STATUS_SUCCESS, done);
}

NTSTATUS ZwWriteFile(HANDLE FileHandle, HANDLE Event, PIO_APC_ROUTINE ApcRoutine, PVOID ApcContext,
                     PIO_STATUS_BLOCK IoStatusBlock, PVOID Buffer, ULONG Length,
                     PLARGE_INTEGER ByteOffset, PULONG Key) {
    host::VerifyPassiveLevel("ZwWriteFile");
    FileObject* file;
    NTSTATUS status = LookupFile(FileHandle, IoStatusBlock, &file);
    if (!NT_SUCCESS(status)) return status;
    if (!file->CanWrite) return Finish(IoStatusBlock, STATUS_ACCESS_DENIED, 0);
    if (Buffer == nullptr && Length != 0) return Finish(IoStatusBlock, STATUS_INVALID_PARAMETER, 0);
    const off_t start = StartOffset(*file, ByteOffset);
    size_t done = 0;
    while (done < Length) {
        const ssize_t n = ::pwrite(file->Descriptor, static_cast<const char*>(Buffer) + done,
                                   Length - done, start + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return Finish(IoStatusBlock, StatusFromErrno(errno), done);
        done += static_cast<size_t>(n);
    }
    file->Position = start + static_cast<off_t>(done);
    return Finish(IoStatusBlock, STATUS_SUCCESS, done);
}
