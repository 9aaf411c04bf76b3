#include "db/table.h"
