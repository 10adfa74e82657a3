// Thread identity for log lines and random seeds.
#pragma once

#include "qvo/qvoTypes.h"

// The calling thread's id as the kernel knows it.
qvo_uint32 thr_self();
