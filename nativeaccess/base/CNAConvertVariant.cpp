#include "CNAConvertVariant.h"

CNAConvertVariant::~CNAConvertVariant() = default;

CNAConnection* CNAConvertVariant::pclGetCnx() { return nullptr; }
