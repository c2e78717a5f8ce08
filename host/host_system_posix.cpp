#include "host/host_system.h"

bool createHostWindow(const char*, int, int, std::string&) {
    return true;
}
bool pumpHostMessages() {
    return true;
}
void destroyHostWindow() {}
