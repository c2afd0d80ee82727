#include "mount/fuse_operations.h"

#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace mount {
namespace {

Volume& Mounted() {
    return *static_cast<Volume*>(fuse_get_context()->private_data);
}

void* Init(fuse_conn_info* connection, fuse_config* config) {
    // Large requests: a copy of a big file costs fewer round trips through the kernel.
    connection->max_write = 1 << 20;
    connection->max_readahead = 1 << 20;
    config->use_ino = 0;
    config->entry_timeout = 1;
    config->attr_timeout = 1;
    config->negative_timeout = 0;
    auto* volume = static_cast<Volume*>(fuse_get_context()->private_data);
    // Threads start here: the process has left the terminal behind by now.
    volume->Start();
    return volume;
}

void Destroy(void* data) {
    static_cast<Volume*>(data)->Stop();
}

// The kernel's view of an entry: the mount's user owns everything.
struct stat StatOf(const Attr& attr) {
    struct stat st {};
    st.st_mode = attr.directory ? S_IFDIR | (attr.readOnly ? 0555 : 0755) : S_IFREG | (attr.readOnly ? 0444 : 0644);
    st.st_nlink = attr.directory ? 2 : 1;
    st.st_uid = ::getuid();
    st.st_gid = ::getgid();
    st.st_blksize = 4096;
    st.st_size = static_cast<off_t>(attr.size);
    st.st_blocks = (st.st_size + 511) / 512;
    st.st_mtim.tv_sec = attr.modifiedNs / 1000000000;
    st.st_mtim.tv_nsec = attr.modifiedNs % 1000000000;
    st.st_ctim = st.st_atim = st.st_mtim;
    return st;
}

int GetAttr(const char* path, struct stat* st, fuse_file_info*) {
    Attr attr;
    int error = Mounted().GetAttr(path, attr);
    if (!error) *st = StatOf(attr);
    return error;
}

int ReadDir(const char* path, void* buffer, fuse_fill_dir_t fill, off_t, fuse_file_info*, fuse_readdir_flags) {
    std::vector<DirEntry> entries;
    int error = Mounted().ReadDir(path, entries);
    if (error) return error;
    fill(buffer, ".", nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
    fill(buffer, "..", nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
    for (const DirEntry& entry : entries) {
        const struct stat st = StatOf(entry.attr);
        if (fill(buffer, entry.name.c_str(), &st, 0, FUSE_FILL_DIR_PLUS)) break;
    }
    return 0;
}

int MakeDir(const char* path, mode_t) {
    return Mounted().MakeDir(path);
}

int RemoveDir(const char* path) {
    return Mounted().RemoveDir(path);
}

int Unlink(const char* path) {
    return Mounted().Unlink(path);
}

int Rename(const char* from, const char* to, unsigned int flags) {
    if (flags & ~RENAME_NOREPLACE) return -EINVAL;  // no exchange: a mailbox cannot swap two files at once
    return Mounted().Rename(from, to, flags & RENAME_NOREPLACE);
}

int Create(const char* path, mode_t, fuse_file_info* info) {
    std::uint64_t handle = 0;
    int error = Mounted().Create(path, handle);
    info->fh = handle;
    return error;
}

int Open(const char* path, fuse_file_info* info) {
    std::uint64_t handle = 0;
    int error = Mounted().Open(path, info->flags, handle);
    info->fh = handle;
    return error;
}

int Read(const char*, char* buffer, size_t size, off_t offset, fuse_file_info* info) {
    return Mounted().Read(info->fh, buffer, size, static_cast<std::uint64_t>(offset));
}

int Write(const char*, const char* buffer, size_t size, off_t offset, fuse_file_info* info) {
    return Mounted().Write(info->fh, buffer, size, static_cast<std::uint64_t>(offset));
}

int Truncate(const char* path, off_t size, fuse_file_info* info) {
    if (size < 0) return -EINVAL;
    return info ? Mounted().TruncateOpen(info->fh, static_cast<std::uint64_t>(size))
                : Mounted().Truncate(path, static_cast<std::uint64_t>(size));
}

// Only the modification time is kept; no times at all means now.
int SetTimes(const char* path, const struct timespec times[2], fuse_file_info*) {
    std::optional<std::int64_t> modified;
    if (!times || times[1].tv_nsec == UTIME_NOW)
        modified =
            std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch())
                .count();
    else if (times[1].tv_nsec != UTIME_OMIT)
        modified = static_cast<std::int64_t>(times[1].tv_sec) * 1000000000 + times[1].tv_nsec;
    return Mounted().SetTimes(path, modified);
}

// Modes and owners are the mount's own: accepted, so that cp -p and rsync -a go on.
int ChangeMode(const char*, mode_t, fuse_file_info*) {
    return 0;
}

int ChangeOwner(const char*, uid_t, gid_t, fuse_file_info*) {
    return 0;
}

int Flush(const char*, fuse_file_info* info) {
    return Mounted().Flush(info->fh);
}

int Release(const char*, fuse_file_info* info) {
    return Mounted().Release(info->fh);
}

int Fsync(const char*, int, fuse_file_info* info) {
    return Mounted().Fsync(info->fh);
}

int GetXattr(const char* path, const char* name, char* value, size_t size) {
    std::string text;
    int error = Mounted().GetXattr(path, name, text);
    if (error) return error;
    if (size == 0) return static_cast<int>(text.size());
    if (size < text.size()) return -ERANGE;
    std::memcpy(value, text.data(), text.size());
    return static_cast<int>(text.size());
}

int ListXattr(const char* path, char* list, size_t size) {
    static const char fileNames[] = "user.vantlo.state\0user.vantlo.key";
    static const char vaultNames[] = "user.vantlo.vault";
    std::string value;
    const char* names = fileNames;
    std::size_t length = sizeof fileNames;
    int error = Mounted().GetXattr(path, "user.vantlo.state", value);
    if (error == -ENODATA && Mounted().GetXattr(path, "user.vantlo.vault", value) == 0) {
        names = vaultNames;
        length = sizeof vaultNames;
        error = 0;
    }
    if (error == -ENODATA) return 0;
    if (error) return error;
    if (size == 0) return static_cast<int>(length);
    if (size < length) return -ERANGE;
    std::memcpy(list, names, length);
    return static_cast<int>(length);
}

int StatFs(const char*, struct statvfs* st) {
    // A mailbox tells no free space; show plenty so that copies start.
    *st = {};
    st->f_bsize = st->f_frsize = 4096;
    st->f_blocks = st->f_bfree = st->f_bavail = std::uint64_t(1) << 32;
    st->f_files = st->f_ffree = st->f_favail = 1 << 24;
    st->f_namemax = 255;
    return 0;
}

fuse_operations MakeOperations() {
    fuse_operations ops = {};
    ops.init = Init;
    ops.destroy = Destroy;
    ops.getattr = GetAttr;
    ops.readdir = ReadDir;
    ops.mkdir = MakeDir;
    ops.rmdir = RemoveDir;
    ops.unlink = Unlink;
    ops.rename = Rename;
    ops.create = Create;
    ops.open = Open;
    ops.read = Read;
    ops.write = Write;
    ops.truncate = Truncate;
    ops.utimens = SetTimes;
    ops.chmod = ChangeMode;
    ops.chown = ChangeOwner;
    ops.flush = Flush;
    ops.release = Release;
    ops.fsync = Fsync;
    ops.getxattr = GetXattr;
    ops.listxattr = ListXattr;
    ops.statfs = StatFs;
    return ops;
}

}  // namespace

int ServeVolume(std::vector<std::string> arguments, Volume& volume) {
    std::vector<char*> argv;
    for (std::string& arg : arguments) argv.push_back(arg.data());
    fuse_args args = FUSE_ARGS_INIT(static_cast<int>(argv.size()), argv.data());
    fuse_cmdline_opts options = {};
    if (fuse_parse_cmdline(&args, &options) != 0) return 1;
    const fuse_operations ops = MakeOperations();
    int status = 1;
    fuse* fs = options.mountpoint ? fuse_new(&args, &ops, sizeof ops, &volume) : nullptr;
    if (fs && fuse_mount(fs, options.mountpoint) == 0) {
        fuse_session* session = fuse_get_session(fs);
        if (fuse_daemonize(options.foreground) == 0 && fuse_set_signal_handlers(session) == 0) {
            if (options.singlethread) {
                status = fuse_loop(fs) == 0 ? 0 : 1;
            } else {
                // Set here: libfuse 3.14 leaves them unset on this path and complains.
                fuse_loop_config* config = fuse_loop_cfg_create();
                fuse_loop_cfg_set_clone_fd(config, options.clone_fd);
                fuse_loop_cfg_set_max_threads(config, 16);
                fuse_loop_cfg_set_idle_threads(config, 4);
                status = fuse_loop_mt(fs, config) == 0 ? 0 : 1;
                fuse_loop_cfg_destroy(config);
            }
            fuse_remove_signal_handlers(session);
        }
        fuse_unmount(fs);
    }
    if (fs) fuse_destroy(fs);
    std::free(options.mountpoint);
    fuse_opt_free_args(&args);
    return status;
}

}  // namespace mount
