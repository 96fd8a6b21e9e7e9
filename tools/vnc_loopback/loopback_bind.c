/* Preloaded into the desktop program when it serves its window over VNC.
 * Qt's VNC server listens on every interface and has neither an option for
 * another address nor a password, so every stream socket bound to "any
 * address" is bound to the loopback interface instead: only this machine,
 * or an SSH tunnel into it, can reach the window. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <netinet/in.h>
#include <string.h>
#include <sys/socket.h>

typedef int (*BindFunction)(int, const struct sockaddr*, socklen_t);

static int IsStreamSocket(int fd) {
    int type = 0;
    socklen_t size = sizeof type;
    return getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &size) == 0 && type == SOCK_STREAM;
}

int bind(int fd, const struct sockaddr* address, socklen_t length) {
    static BindFunction real_bind;
    if (real_bind == NULL)
        real_bind = (BindFunction)dlsym(RTLD_NEXT, "bind");
    if (real_bind == NULL)
        return -1;
    if (address == NULL || !IsStreamSocket(fd))
        return real_bind(fd, address, length);
    if (address->sa_family == AF_INET && length >= sizeof(struct sockaddr_in)) {
        struct sockaddr_in in;
        memcpy(&in, address, sizeof in);
        if (in.sin_addr.s_addr == htonl(INADDR_ANY)) {
            in.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            return real_bind(fd, (const struct sockaddr*)&in, sizeof in);
        }
    } else if (address->sa_family == AF_INET6 && length >= sizeof(struct sockaddr_in6)) {
        struct sockaddr_in6 in6;
        memcpy(&in6, address, sizeof in6);
        if (IN6_IS_ADDR_UNSPECIFIED(&in6.sin6_addr)) {
            /* A socket for both protocols takes IPv4 loopback (::ffff:127.0.0.1),
             * an IPv6-only one ::1. */
            int v6only = 0;
            socklen_t size = sizeof v6only;
            getsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &v6only, &size);
            if (v6only) {
                in6.sin6_addr = in6addr_loopback;
            } else {
                memset(&in6.sin6_addr, 0, sizeof in6.sin6_addr);
                in6.sin6_addr.s6_addr[10] = 0xFF;
                in6.sin6_addr.s6_addr[11] = 0xFF;
                in6.sin6_addr.s6_addr[12] = 127;
                in6.sin6_addr.s6_addr[15] = 1;
            }
            return real_bind(fd, (const struct sockaddr*)&in6, sizeof in6);
        }
    }
    return real_bind(fd, address, length);
}
