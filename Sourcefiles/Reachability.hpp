#pragma once
// Placeholder until the implementation lands.
