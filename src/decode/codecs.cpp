#include "decode/codecs.h"
