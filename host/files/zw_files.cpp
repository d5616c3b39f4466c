// ZwCreateFile, ZwReadFile, ZwWriteFile over the files below <machine root>/SystemRoot.
// Handles are synchronous (there is no other kind here) and keep a current position. Opens
// honour the platform's share modes within this process: a file opened without sharing can't
// be opened again until that handle is closed.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <list>
#include <map>
#include <mutex>
#include <string>

#include "host/files/file_faults.h"
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
    bool CanDelete;  // rename and delete need DELETE access
    ULONG ShareAccess;
    off_t Position = 0;
};

// Open files by host path, for the share-mode check.
std::mutex g_open_mutex;
std::map<std::string, std::list<FileObject*>> g_open_files;  // guarded by g_open_mutex

// Bytes file writes may still move before they fail; -1: no limit.
std::mutex g_fault_mutex;
long long g_write_budget = -1;  // guarded by g_fault_mutex

// How much of a write of `length` bytes the disk takes.
size_t TakeWriteBudget(size_t length) {
    std::lock_guard<std::mutex> lock(g_fault_mutex);
    if (g_write_budget < 0) return length;
    const size_t granted = std::min<size_t>(length, static_cast<size_t>(g_write_budget));
    g_write_budget -= static_cast<long long>(granted);
    return granted;
}

bool IsOpenElsewhere(const std::string& path, const FileObject* self) {
    std::lock_guard<std::mutex> lock(g_open_mutex);
    auto it = g_open_files.find(path);
    if (it == g_open_files.end()) return false;
    for (const FileObject* other : it->second) {
        if (other != self) return true;
    }
    return false;
}

void MoveRegistration(FileObject* file, const std::string& path) {
    std::lock_guard<std::mutex> lock(g_open_mutex);
    auto it = g_open_files.find(file->Path);
    if (it != g_open_files.end()) {
        it->second.remove(file);
        if (it->second.empty()) g_open_files.erase(it);
    }
    file->Path = path;
    g_open_files[path].push_back(file);
}

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

    const bool can_delete = DesiredAccess & (DELETE | GENERIC_ALL);
    auto* file = new FileObject{-1, path, can_read, can_write, can_delete, ShareAccess};
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
    const size_t granted = TakeWriteBudget(Length);
    size_t done = 0;
    while (done < granted) {
        const ssize_t n = ::pwrite(file->Descriptor, static_cast<const char*>(Buffer) + done,
                                   granted - done, start + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return Finish(IoStatusBlock, StatusFromErrno(errno), done);
        done += static_cast<size_t>(n);
    }
    file->Position = start + static_cast<off_t>(done);
    if (granted < Length) return Finish(IoStatusBlock, STATUS_DISK_FULL, done);
    return Finish(IoStatusBlock, STATUS_SUCCESS, done);
}

NTSTATUS ZwSetInformationFile(HANDLE FileHandle, PIO_STATUS_BLOCK IoStatusBlock,
                              PVOID FileInformation, ULONG Length,
                              FILE_INFORMATION_CLASS FileInformationClass) {
    host::VerifyPassiveLevel("ZwSetInformationFile");
    FileObject* file;
    NTSTATUS status = LookupFile(FileHandle, IoStatusBlock, &file);
    if (!NT_SUCCESS(status)) return status;
    if (FileInformation == nullptr) return Finish(IoStatusBlock, STATUS_INVALID_PARAMETER, 0);
    if (!file->CanDelete) return Finish(IoStatusBlock, STATUS_ACCESS_DENIED, 0);
    if (IsOpenElsewhere(file->Path, file)) return Finish(IoStatusBlock, STATUS_SHARING_VIOLATION, 0);
    if (FileInformationClass == FileDispositionInformation) {
        if (Length < sizeof(FILE_DISPOSITION_INFORMATION)) {
            return Finish(IoStatusBlock, STATUS_INFO_LENGTH_MISMATCH, 0);
        }
        if (!static_cast<PFILE_DISPOSITION_INFORMATION>(FileInformation)->DeleteFile) {
            return Finish(IoStatusBlock, STATUS_SUCCESS, 0);
        }
        // The name goes now; the open descriptor keeps the data until it is closed.
        if (::unlink(file->Path.c_str()) != 0) return Finish(IoStatusBlock, StatusFromErrno(errno), 0);
        return Finish(IoStatusBlock, STATUS_SUCCESS, 0);
    }
    if (FileInformationClass != FileRenameInformation) {
        return Finish(IoStatusBlock, STATUS_INVALID_PARAMETER, 0);
    }
    const auto* rename = static_cast<const FILE_RENAME_INFORMATION*>(FileInformation);
    if (Length < offsetof(FILE_RENAME_INFORMATION, FileName) ||
        rename->FileNameLength > Length - offsetof(FILE_RENAME_INFORMATION, FileName) ||
        rename->RootDirectory != nullptr || rename->FileNameLength % sizeof(WCHAR) != 0) {
        return Finish(IoStatusBlock, STATUS_INVALID_PARAMETER, 0);
    }
    UNICODE_STRING name;
    name.Buffer = const_cast<PWSTR>(rename->FileName);
    name.Length = static_cast<USHORT>(rename->FileNameLength);
    name.MaximumLength = name.Length;
    std::string target;
    status = host::ResolveSystemPath(host::UnicodeStringToUtf8(&name), &target);
    if (!NT_SUCCESS(status)) return Finish(IoStatusBlock, status, 0);
    struct stat st;
    if (::stat(target.c_str(), &st) == 0) {
        if (!rename->ReplaceIfExists) return Finish(IoStatusBlock, STATUS_OBJECT_NAME_COLLISION, 0);
        if (IsOpenElsewhere(target, file)) return Finish(IoStatusBlock, STATUS_ACCESS_DENIED, 0);
    }
    if (::rename(file->Path.c_str(), target.c_str()) != 0) {
        return Finish(IoStatusBlock, StatusFromErrno(errno), 0);
    }
    MoveRegistration(file, target);
    return Finish(IoStatusBlock, STATUS_SUCCESS, 0);
}

namespace host {

void FailFileWritesAfter(ULONG bytes) {
    std::lock_guard<std::mutex> lock(g_fault_mutex);
    g_write_budget = bytes;
}

void ClearFileWriteFailure() {
    std::lock_guard<std::mutex> lock(g_fault_mutex);
    g_write_budget = -1;
}

}  // namespace host
