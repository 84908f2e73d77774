// A core file without POSIX headers.
#include <string>
#include "net/WSocket.h"
