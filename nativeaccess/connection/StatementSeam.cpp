#include "StatementSeam.h"

#include <utility>

namespace {

NAStatementFactory& rclFactory() {
  static NAStatementFactory s_clFactory;
  return s_clFactory;
}

}  // namespace

CNAStatementSQL* kxna_pclAllocStatementSQL(CNAConnectionDescription* connection, CNAError* error) {
  const NAStatementFactory& clFactory = rclFactory();
  if (!clFactory) return nullptr;
  return clFactory(connection, error);
}

NAStatementFactory kxna_SetStatementFactory(NAStatementFactory factory) {
  return std::exchange(rclFactory(), std::move(factory));
}
