#include "NullRotationStrategy.h"
