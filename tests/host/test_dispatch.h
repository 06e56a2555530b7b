// TestDispatch now lives in host_support.h; this header stays for the files that include it.
#pragma once
#include "host_support.h"
