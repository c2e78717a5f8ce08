// Primitive drawing's share of start-up, and its vertex converters.
#pragma once

#include <cstdint>

#include "platform/sgl.h"

struct HostVertex;

// Triangle i of a fan of up to 16 vertices: vertex 0 and vertices i + 1, i + 2.
extern int32_t fanIndexTable[14][3];

// Fills the fan index table: triple i is (0, i + 1, i + 2).
void initFanIndexTable();

// Host vertex to SGL vertex; points and lines carry no texture coordinates.
void convertPointVertex(SGLVERTEX* destination, const HostVertex* source);
void convertFanVertex(SGLVERTEX* destination, const HostVertex* source);
