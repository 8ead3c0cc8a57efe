/* The public headers compile as C, and the error texts are reachable from C. Exits 0 when
   every code the library produces has its own text and other codes get the generic one. */
#include <velcor/VelcorErrors.h>
#include <velcor/VelcorSdk.h>
#include <velcor/VelcorSim.h>
#include <velcor/VelcorTypes.h>
#include <velcor/VelcorWin.h>

#include <stdio.h>
#include <string.h>

int main(void) {
    static const int codes[] = {
        VELCOR_ERR_NONE,     VELCOR_ERR_NO_CAMERA,    VELCOR_ERR_NOT_PRESENT,
        VELCOR_ERR_THREAD,   VELCOR_ERR_WINDOW,       VELCOR_ERR_MEMORY,
        VELCOR_ERR_DEVICE,   VELCOR_ERR_WINDOW_RANGE, VELCOR_ERR_ACQUISITION,
        VELCOR_ERR_ARGUMENT, VELCOR_ERR_UNSUPPORTED,  VELCOR_ERR_CONVERSION,
        VELCOR_ERR_STOPPED,  VELCOR_ERR_MASK_FILE,
    };
    const char* generic = VelcorErrorText(10);
    size_t i;
    int failures = 0;
    for (i = 0; i < sizeof codes / sizeof codes[0]; ++i) {
        const char* text = VelcorErrorText(codes[i]);
        if (text == NULL || text[0] == '\0' || strcmp(text, generic) == 0) {
            printf("code %d has no text of its own\n", codes[i]);
            ++failures;
        }
    }
    if (strcmp(VelcorErrorText(VELCOR_ERR_ARGUMENT), "invalid argument") != 0) ++failures;
    if (strcmp(VelcorErrorText(-1), generic) != 0 || strcmp(VelcorErrorText(15), generic) != 0)
        ++failures;
    printf("%s\n", failures == 0 ? "error texts ok" : "error texts wrong");
    return failures == 0 ? 0 : 1;
}
