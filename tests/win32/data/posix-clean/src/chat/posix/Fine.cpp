// Allowed: a POSIX back end.
#include <sys/socket.h>
