#include "host/host_system.h"

#include <ctime>

bool createHostWindow(const char*, int, int, std::string&) {
    return true;
}
bool pumpHostMessages() {
    return true;
}
void destroyHostWindow() {}

// glibc's clock() counts the processor time of every thread of the process.
double processSeconds() {
    return double(std::clock()) / CLOCKS_PER_SEC;
}
