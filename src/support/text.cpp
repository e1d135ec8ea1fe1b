#include "support/text.h"
