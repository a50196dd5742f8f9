#include "lib/system_log.h"

#include "lib/bounded_text.h"
#include "lib/host_seam.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <syslog.h>
#include <unistd.h>

#include <cstring>
#include <ctime>

void send_to_system_log(int severity, const std::string& message)
{
    const std::string path = host_path(HOST_DEV_LOG);
    struct sockaddr_un address {};
    address.sun_family = AF_UNIX;
    if (!copy_bounded(address.sun_path, sizeof address.sun_path, path.c_str()))
        return;
    time_t now = time(nullptr);
    struct tm local {};
    char stamp[32] = "";
    if (localtime_r(&now, &local) != nullptr)
        strftime(stamp, sizeof stamp, "%b %e %H:%M:%S", &local);
    const std::string datagram =
        format_text("<%d>%s dazed-fug[%d]: %s", LOG_DAEMON | severity, stamp, static_cast<int>(getpid()), message.c_str());
    int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return;
    sendto(fd, datagram.data(), datagram.size(), MSG_NOSIGNAL, reinterpret_cast<struct sockaddr*>(&address),
           sizeof address);
    close(fd);
}
