#include "model/protocol.h"
