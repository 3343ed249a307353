#include "CNADataAccess.h"

CNADataAccess::~CNADataAccess() = default;
