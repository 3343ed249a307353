// A runtime module that lacks "Execution": the failure path of a library's
// initialisation. It exports one harmless symbol so that it is a real module.
extern "C" __attribute__((visibility("default"))) int StandIn_NoExecution() { return 1; }
