#include "settings/Upward.h"
#include "commands/ReloadCommands.h"
