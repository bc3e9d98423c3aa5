#pragma once
// The kit both window folders may use.
struct Kit {};
