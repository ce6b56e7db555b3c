#include "core/Module.h"

void* ModuleHandle = nullptr;
