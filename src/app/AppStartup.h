// What the program entry sets up once a front end's message boxes exist: the
// message route of the shell utilities. Tests call it as the entry does.
#pragma once

void StartApplication();
