#pragma once
// A window folder that uses another window folder.
#include <vector>

#include "pid/Run.h"
#include "ui/Kit.h"
struct Mirror {};
