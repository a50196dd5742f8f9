#include "driver/staging.h"

#include "app/bounded_text.h"

char kernel_path[KERNEL_PATH_SIZE] = "/lib/modules/";

int update_iqv_driver()
{
    return 0;
}

void restore_iqv_driver()
{
}

void findvariant(const char* release, char* out, size_t out_size)
{
    (void)release;
    (void)out;
    (void)out_size;
}
