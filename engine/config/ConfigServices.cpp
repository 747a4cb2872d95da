#include "engine/config/ConfigServices.h"

ConfigServices gConfigServices;
