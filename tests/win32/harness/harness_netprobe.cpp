// Resolves a host name and fetches "/probe" over plain HTTP, printing the
// address and the answer: proof that a Windows program under Wine reaches a
// service through the namespace's hosts file.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: harness_netprobe HOST PORT\n");
        return 2;
    }
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    if (getaddrinfo(argv[1], argv[2], &hints, &result) != 0 || result == nullptr) {
        std::fprintf(stderr, "cannot resolve %s\n", argv[1]);
        return 1;
    }
    char address[64] = {};
    getnameinfo(result->ai_addr, static_cast<int>(result->ai_addrlen), address, sizeof address,
                nullptr, 0, NI_NUMERICHOST);
    std::printf("address %s\n", address);
    SOCKET s = socket(result->ai_family, result->ai_socktype, result->ai_protocol);
    if (connect(s, result->ai_addr, static_cast<int>(result->ai_addrlen)) != 0) {
        std::fprintf(stderr, "cannot connect\n");
        return 1;
    }
    const std::string request = std::string("GET /probe HTTP/1.0\r\nHost: ") + argv[1] + "\r\n\r\n";
    send(s, request.data(), static_cast<int>(request.size()), 0);
    std::string answer;
    char buffer[1024];
    int n;
    while ((n = recv(s, buffer, sizeof buffer, 0)) > 0)
        answer.append(buffer, n);
    closesocket(s);
    freeaddrinfo(result);
    std::printf("%s\n", answer.c_str());
    return answer.find("vorn-probe-ok") != std::string::npos ? 0 : 1;
}
