#include "support/auto_buff.h"
