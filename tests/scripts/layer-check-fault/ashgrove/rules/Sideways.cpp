#include "commands/ReloadCommands.h"
#include "settings/Upward.h"
