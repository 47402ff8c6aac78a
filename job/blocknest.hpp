#pragma once  // blocknest.hpp: the engine as other programs include it
// A job in (files or polygons, sheet or stock, turns, clearances, a search budget, outputs),
// progress and a stop flag through the console and the control, a result out. See job/job.hpp.
#include "job/job.hpp"
