// Primitive drawing's share of start-up.
#pragma once

// Fills the fan index table: triple i is (0, i + 1, i + 2).
void initFanIndexTable();
