/* Preloaded into LMMS (an i386 program) by scripts/hosts/lmms.sh only where
 * 32-bit programs run through qemu's user-mode emulator (qemu-i386). It works
 * around two things that break LMMS's VST server there; on a kernel that runs
 * 32-bit programs itself it is not used.
 *
 * 1. Qt starts child processes with clone(CLONE_PIDFD) when waitid(P_PIDFD)
 *    looks supported. qemu-i386 passes that waitid probe to the kernel (which
 *    supports it) but refuses the clone with EINVAL, so no child is ever
 *    started: LMMS cannot start RemoteVstPlugin, and at exit QProcess kills
 *    pid -1, i.e. every process it may signal (the script runs LMMS in its own
 *    PID namespace for that reason). Answering the probe with EINVAL, as a
 *    kernel without pidfd does, makes Qt use fork(), which qemu handles.
 * 2. LMMS waits 30 s for the started server to connect (poll() on one
 *    descriptor, 30000 ms). Emulated 32-bit Wine takes minutes to start; that
 *    one call waits up to KELVANE_LMMS_CONNECT_WAIT_MS (default 1200000)
 *    instead, while a child process of LMMS (the server) lives: it gives up
 *    as the 30 s wait would when the server has ended or none started within
 *    two minutes.
 *
 * Every other call passes through unchanged, and the programs LMMS starts do
 * not inherit the preload. */
#define _GNU_SOURCE
#include <dirent.h>
#include <dlfcn.h>
#include <errno.h>
#include <poll.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/syscall.h>
#include <unistd.h>

enum { kPidFdIdType = 3 }; /* P_PIDFD */

__attribute__((constructor)) static void NotForChildren(void) { unsetenv("LD_PRELOAD"); }

long syscall(long number, ...) {
  static long (*next)(long, ...);
  if (!next) next = (long (*)(long, ...))dlsym(RTLD_NEXT, "syscall");
  va_list list;
  va_start(list, number);
  long a[6];
  for (int i = 0; i < 6; ++i) a[i] = va_arg(list, long);
  va_end(list);
  if (number == SYS_waitid && a[0] == kPidFdIdType) {
    errno = EINVAL;
    return -1;
  }
  return next(number, a[0], a[1], a[2], a[3], a[4], a[5]);
}

/* The number of living processes whose parent is this process. */
static int ChildCount(void) {
  DIR* proc = opendir("/proc");
  if (!proc) return -1;
  const long self = (long)getpid();
  int count = 0;
  struct dirent* entry;
  while ((entry = readdir(proc)) != NULL) {
    if (entry->d_name[0] < '1' || entry->d_name[0] > '9') continue;
    char path[300], line[512];
    snprintf(path, sizeof path, "/proc/%s/stat", entry->d_name);
    FILE* file = fopen(path, "r");
    if (!file) continue;
    const size_t size = fread(line, 1, sizeof line - 1, file);
    fclose(file);
    line[size] = 0;
    const char* end = strrchr(line, ')'); /* the name may hold spaces */
    char state;
    long parent;
    if (end && sscanf(end + 1, " %c %ld", &state, &parent) == 2 && parent == self && state != 'Z') ++count;
  }
  closedir(proc);
  return count;
}

int poll(struct pollfd* fds, nfds_t count, int timeout) {
  static int (*next)(struct pollfd*, nfds_t, int);
  if (!next) next = (int (*)(struct pollfd*, nfds_t, int))dlsym(RTLD_NEXT, "poll");
  if (count != 1 || timeout != 30000) return next(fds, count, timeout);
  const char* wait = getenv("KELVANE_LMMS_CONNECT_WAIT_MS");
  const long limit = wait ? atol(wait) : 1200000;
  int seen = 0;
  for (long waited = 0;; waited += 1000) {
    const int result = next(fds, count, 1000);
    if (result != 0 || waited + 1000 >= limit) return result;
    const int children = ChildCount();
    if (children > 0) seen = 1;
    if ((seen && children == 0) || (!seen && waited >= 120000)) return 0;
  }
}
