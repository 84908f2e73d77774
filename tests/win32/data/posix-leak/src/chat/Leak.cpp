// A core file that includes a POSIX header outside posix/.
#include <unistd.h>
