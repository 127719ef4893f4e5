// SPDX-License-Identifier: MIT
/* A host program that knows vexlith only through its installed headers:
 * reads a drawing, prints its $ACADVER, or prints the chain of a failure. */
#include <stdio.h>
#include <string.h>

#include <vexlith/vexlith.h>

int main(int argc, char **argv) {
    if (argc == 2 && strcmp(argv[1], "--version") == 0) {
        /* The version the headers were generated with, in both forms. */
        printf("%s %d.%d.%d\n", VEXLITH_VERSION, VEXLITH_VERSION_MAJOR, VEXLITH_VERSION_MINOR,
               VEXLITH_VERSION_PATCH);
        return 0;
    }
    if (argc != 2) {
        fprintf(stderr, "usage: host FILE\n");
        return 2;
    }
    qerr_Report *report = NULL;
    Qdxf_Info *drawing = qdxf_Read(argv[1], NULL, &report);
    if (!drawing) {
        for (const qerr_Report *level = report; level; level = qerr_ReportInner(level)) {
            printf("%s: %s\n", qerr_ReportFunction(level), qerr_ReportMessage(level));
        }
        qerr_ReportFree(report);
        return 1;
    }
    printf("$ACADVER = %s\n",
           drawing->header && drawing->header->acadver ? drawing->header->acadver : "(none)");
    qdxf_InfoFree(drawing);
    return 0;
}
