/* The module formats of libxmp's core player, XM, IT and S3M: replaces libxmp's own format.c,
   whose list names every loader of the full library. */
#include <stddef.h>

#include "format.h"

extern const struct format_loader libxmp_loader_xm;
extern const struct format_loader libxmp_loader_it;
extern const struct format_loader libxmp_loader_s3m;

const struct format_loader *const format_loaders[] = {
	&libxmp_loader_xm, &libxmp_loader_it, &libxmp_loader_s3m, NULL
};

const char *const *format_list(void)
{
	static const char *names[sizeof format_loaders / sizeof format_loaders[0]];
	if (names[0] == NULL) {
		size_t i;
		for (i = 0; format_loaders[i] != NULL; i++) names[i] = format_loaders[i]->name;
	}
	return names;
}
