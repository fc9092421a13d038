// What the program entry sets up once the windowing toolkit runs: the title
// and the message route of the shell utilities. Tests call it as main does.
#pragma once

void StartApplication();
