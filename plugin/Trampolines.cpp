#include "plugin/Trampolines.h"

DieFunction DieTrampoline = nullptr;
DropInventoryDepositFunction DropInventoryDepositTrampoline = nullptr;
