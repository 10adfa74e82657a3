#include "platform/qvoThread.h"

#include <sys/syscall.h>
#include <unistd.h>

qvo_uint32 thr_self() { return static_cast<qvo_uint32>(::syscall(SYS_gettid)); }
