; inform 2 is an error, and assembly goes on.
	inform	2,"bank %d is full",3
	dc.w	missing
