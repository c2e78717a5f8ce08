// Small helpers shared by the tests: the driver's messages, pixels of the
// stand-in's surfaces, colour comparison.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Installs the diagnostic sink on first use; returns every message the
// driver printed since the last clearMessages().
const std::vector<std::string>& driverMessages();
void captureMessages();
void clearMessages();
bool sawMessage(const std::string& text);
int countMessages(const std::string& text);

// Pixel (x, y) of a chain position of the stand-in display (0 front, 1 back).
uint16_t chainPixel(int position, int x, int y);
void setChainPixel(int position, int x, int y, uint16_t value);
