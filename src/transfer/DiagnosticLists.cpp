// Placeholder: implemented in a following commit.
