#pragma once
// A window folder on the kit only.
#include "ui/Kit.h"
struct Run {};
