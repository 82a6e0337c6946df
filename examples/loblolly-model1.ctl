Loblolly pine, 14 seed sources: model 1 (local asymptote)
4 1 14
1 1 1 1
1 50 1e-5
0.5 0.5 0.1 0.05    starting rate, power, process deviation, error deviation
1 10 10             model number and the two model constants (not used by model 1)
