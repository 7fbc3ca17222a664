#pragma once

#include "host/Interfaces.h"
#include "rules/DeathHandler.h"
