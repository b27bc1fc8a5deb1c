#pragma once
// Sample memory the plot could not have (an X-axis size, another graph, the growth of an
// extendable axis) told to the user in the error dialog. The dialog waits for the main loop, so a
// refusal in the middle of reading input or the command line does not stop either; refusals while
// one dialog waits or is shown add none.

struct GraphData;

// Points the model's memory hooks at this program: refusals become error dialogs over graph's
// window, and the memory available is the system's; or, when KIVREL_AVAILABLE_MEMORY_MB is set,
// that many megabytes less what the plot's sample arrays hold (tests give the program less memory
// than the machine has that way).
void installMemoryHooks(GraphData& graph);
