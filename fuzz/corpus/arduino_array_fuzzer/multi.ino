/* x */ const unsigned int kA[] PROGMEM = {
 9000, 4500, // h
 560};
int s[3] = {1, -2, 3};
