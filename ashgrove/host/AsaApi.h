#pragma once

// Everything the plugin may use of its host.
#include "host/FString.h"
#include "host/GameTypes.h"
#include "host/Interfaces.h"
#include "host/ReflectedNames.h"
#include "host/Reflection.h"
